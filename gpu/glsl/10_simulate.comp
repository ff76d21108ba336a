layout(local_size_x=256) in;
layout(std430,binding=0) buffer B0{vec4 P[];};
layout(std430,binding=1) buffer B1{vec4 V[];};
layout(std430,binding=2) buffer B2{vec4 Q[];};
void main(){
 uint i=gl_GlobalInvocationID.x;
 if(RESET>.5){vec4 p=vec4(sph(i,1u)*1.7,1);P[i]=p;V[i]=vec4(0);Q[i]=p;return;}
 Q[i]=vec4(P[i].xyz,1);
}
